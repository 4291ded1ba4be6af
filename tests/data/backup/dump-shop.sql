/*M!999999\- enable the sandbox mode */ 
-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB, for debian-linux-gnu (x86_64)
--
-- Host: localhost    Database: shop
-- ------------------------------------------------------
-- Server version	10.11.19-MariaDB-0+deb12u1

/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;
/*!40101 SET @OLD_CHARACTER_SET_RESULTS=@@CHARACTER_SET_RESULTS */;
/*!40101 SET @OLD_COLLATION_CONNECTION=@@COLLATION_CONNECTION */;
/*!40101 SET NAMES utf8mb4 */;
/*!40103 SET @OLD_TIME_ZONE=@@TIME_ZONE */;
/*!40103 SET TIME_ZONE='+00:00' */;
/*!40014 SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS, UNIQUE_CHECKS=0 */;
/*!40014 SET @OLD_FOREIGN_KEY_CHECKS=@@FOREIGN_KEY_CHECKS, FOREIGN_KEY_CHECKS=0 */;
/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;
/*!40111 SET @OLD_SQL_NOTES=@@SQL_NOTES, SQL_NOTES=0 */;

--
-- Table structure for table `empty_one`
--

DROP TABLE IF EXISTS `empty_one`;
/*!40101 SET @saved_cs_client     = @@character_set_client */;
/*!40101 SET character_set_client = utf8mb4 */;
CREATE TABLE `empty_one` (
  `ID` int(11) NOT NULL AUTO_INCREMENT,
  `Word` varchar(10) DEFAULT NULL,
  PRIMARY KEY (`ID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
/*!40101 SET character_set_client = @saved_cs_client */;

--
-- Dumping data for table `empty_one`
--

/*!40000 ALTER TABLE `empty_one` DISABLE KEYS */;
/*!40000 ALTER TABLE `empty_one` ENABLE KEYS */;

--
-- Table structure for table `odd ``name```
--

DROP TABLE IF EXISTS `odd ``name```;
/*!40101 SET @saved_cs_client     = @@character_set_client */;
/*!40101 SET character_set_client = utf8mb4 */;
CREATE TABLE `odd ``name``` (
  `ID` int(11) NOT NULL,
  `V` varbinary(20) DEFAULT NULL,
  PRIMARY KEY (`ID`)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
/*!40101 SET character_set_client = @saved_cs_client */;

--
-- Dumping data for table `odd ``name```
--

/*!40000 ALTER TABLE `odd ``name``` DISABLE KEYS */;
INSERT INTO `odd ``name``` VALUES
(1,0x00FF27295C0A),
(2,'');
/*!40000 ALTER TABLE `odd ``name``` ENABLE KEYS */;

--
-- Table structure for table `stone`
--

DROP TABLE IF EXISTS `stone`;
/*!40101 SET @saved_cs_client     = @@character_set_client */;
/*!40101 SET character_set_client = utf8mb4 */;
CREATE TABLE `stone` (
  `ID` int(11) NOT NULL AUTO_INCREMENT,
  `SKU` varchar(50) DEFAULT NULL,
  `Carat` decimal(15,5) DEFAULT NULL,
  `Comment` blob DEFAULT NULL,
  `Note` varchar(255) CHARACTER SET utf8mb3 COLLATE utf8mb3_general_ci DEFAULT NULL,
  `Price` double DEFAULT NULL,
  `Seen` datetime DEFAULT NULL,
  `Flag` tinyint(1) DEFAULT NULL,
  `Due` smallint(6) GENERATED ALWAYS AS (if(`Carat` > 1,1,0) + if(`Comment` is null,2,0)) STORED,
  PRIMARY KEY (`ID`)
) ENGINE=InnoDB AUTO_INCREMENT=7 DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
/*!40101 SET character_set_client = @saved_cs_client */;

--
-- Dumping data for table `stone`
--

/*!40000 ALTER TABLE `stone` DISABLE KEYS */;
INSERT INTO `stone` VALUES
(1,'A1',1.50000,0x706C61696E,'Montréal',1234.5,'2026-12-01 10:00:00',-1,1),
(2,'O\'Neil), (x',0.25000,0x6E756C0062797465,'back\\slash and \'quote\'',NULL,NULL,0,0),
(3,'line\nbreak',NULL,0x74776F0D0A6C696E6573DA,'Zürich – “quoted” ½ ct',-0.001,'2026-01-02 03:04:05',NULL,0),
(4,NULL,NULL,NULL,NULL,NULL,NULL,NULL,2),
(5,'ctrl',2.00001,0x1A093B2729,'日本語のテキスト',0.0000001,'1999-12-31 23:59:59',1,1),
(6,'n\0l\\',3.00000,NULL,'tab	end',NULL,NULL,NULL,3);
/*!40000 ALTER TABLE `stone` ENABLE KEYS */;

--
-- Dumping routines for database 'shop'
--
/*!40103 SET TIME_ZONE=@OLD_TIME_ZONE */;

/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;
/*!40014 SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */;
/*!40014 SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS */;
/*!40101 SET CHARACTER_SET_CLIENT=@OLD_CHARACTER_SET_CLIENT */;
/*!40101 SET CHARACTER_SET_RESULTS=@OLD_CHARACTER_SET_RESULTS */;
/*!40101 SET COLLATION_CONNECTION=@OLD_COLLATION_CONNECTION */;
/*!40111 SET SQL_NOTES=@OLD_SQL_NOTES */;

-- Dump completed on 2026-12-07 18:27:31
